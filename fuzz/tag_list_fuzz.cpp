// The loader's tag-list reader on arbitrary word lists. The list is laid out
// in a buffer of its own; parameter and text pointers point into a second
// buffer of arbitrary bytes so that the reader may follow them.
#include <cstring>
#include <vector>

#include "fuzz_input.h"
#include "hostrt/loader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput in(data, size);
    // Pointed-to memory: records, strings, choice lists. Zero-terminated so
    // text and entry lists end inside it.
    static std::vector<uint8_t> pool;
    pool.assign(4096, 0);
    size_t poolBytes = in.u8();
    for (size_t i = 0; i < poolBytes * 8 && i < pool.size() - 64; ++i) pool[i] = in.u8();
    // Choice records point at an entry list inside the pool.
    std::vector<TagWord> list;
    size_t words = in.u8() % 140;
    for (size_t i = 0; i < words; ++i) {
        uint8_t kind = in.u8();
        if (i % 2 == 0) {
            list.push_back(kind & 0x80 ? 0x4F504500u + (kind & 0x1F) : TagWord(in.u32()));
        } else {
            // Pointer-valued tags point into the pool, as a library's own
            // list points into its own data; integer tags take any value.
            TagWord tag = list.back();
            bool pointerTag = tag == OPE_ACTION || tag == OPE_REVISION || tag == OPE_SETTINGS ||
                              (tag >= OPE_PARAM0 && tag < OPE_SETTINGS);
            size_t offset = (size_t(in.u8()) * 8) % (pool.size() - 64);
            TagWord value = pointerTag || (kind & 0x80) ? TagWord(pool.data() + offset)
                                                        : TagWord(in.u32());
            list.push_back(value);
        }
    }
    // Pool records that claim to be choices get a pointer to pool bytes.
    for (size_t off = 0; off + sizeof(ChoiceParam) < pool.size() - 64; off += 8) {
        auto *choice = reinterpret_cast<ChoiceParam *>(pool.data() + off);
        if (choice->header.kind == PARAM_CHOICE)
            choice->entries = reinterpret_cast<const uint32_t *>(pool.data() + pool.size() - 32);
    }
    // Like a real list in memory, something readable follows the words; the
    // reader must stop at OPE_END or after 64 pairs, so 129 words suffice.
    list.resize(129 + 1, 0);
    hostrt::OperatorInfo info;
    (void)hostrt::readTagList(list.data(), info);
    return 0;
}
