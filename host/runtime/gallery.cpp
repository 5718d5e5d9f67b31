// The gallery: a sample screen built through the host calls as an operator
// would build its editor, with every gadget kind and a button for each
// requester.
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "contract/gui_calls.h"
#include "contract/host_calls.h"
#include "hostgui/gui.h"
#include "hostrt/gui_session.h"

namespace hostrt::gui {

namespace {

int16_t rowMetric() { return int16_t(tgGetFontHeightMonitor(tgGetDefaultMonitor()) + tgGetAddHeight()); }

uint16_t rowY(int row)
{
    int R = rowMetric();
    return uint16_t(8 + (row - 1) * (R + 8));
}

// A popup list built the way an editor builds one: heap entries linked
// into a heap header, freed after the popup has taken them.
struct ChoiceList {
    ListHeader *header = nullptr;
    std::vector<ChoiceEntry *> entries;

    ChoiceList(const std::vector<const void *> &labels, uint32_t kind)
    {
        header = static_cast<ListHeader *>(std::calloc(1, sizeof(ListHeader)));
        lstInitList(header);
        for (const void *label : labels) {
            auto *e = static_cast<ChoiceEntry *>(std::calloc(1, sizeof(ChoiceEntry)));
            e->kind = kind;
            e->label = label;
            lstAppendNode(header, &e->node);
            entries.push_back(e);
        }
    }
    ~ChoiceList()
    {
        for (ChoiceEntry *e : entries) std::free(e);
        std::free(header);
    }
};

const char *const keyerNames[] = {"Colour key", "Chroma key", "Hue key", "Luma key"};

void helpText(uint32_t panel, uint32_t gadget, uint32_t strings, uint32_t id)
{
    tgChangeElement(panel, gadget, TAG_HELP_SET, strings, 0);
    tgChangeElement(panel, gadget, TAG_HELP_ID, id, 0);
}

} // namespace

bool openGallery(GalleryHandles &h)
{
    h = GalleryHandles{};
    h.strings = resLoadStrings("zv_ops");
    h.images = resLoadImages("zv_ops");
    h.queue = msgQCreate(10, MSG_SIZE, 0);
    EditorRequest request{};
    request.width = tgGetScreenWidth();
    request.height = tgGetScreenHeight();
    request.messageQueue = h.queue;
    request.flags = 0x102041;
    request.title = "Gallery";
    if (treqCreateRequest(&request) != 0) return false;
    h.screen = request.screen;
    const uint16_t R = uint16_t(rowMetric());
    const uint16_t G = uint16_t(R + 4);

    tgSetColorYUV(tgGetGuiColorYUV(10));
    h.gadgetPanel = tgCreatePanel(h.screen, 16, 16, 660, uint16_t(4 * R + 44), PANEL_NORMAL, 0, 0);
    h.requesterPanel = tgCreatePanel(h.screen, 16, uint16_t(4 * R + 70), 660, uint16_t(3 * R + 52), PANEL_NORMAL, 0, 0);
    h.subPanel = tgCreatePanel(h.requesterPanel, 8, uint16_t(2 * R + 24), 644, uint16_t(R + 20), PANEL_BACKDROP, 0, 0);
    tgSetColorYUV(tgGetNewGuiColorYUV(1001));

    // Row 1: the image buttons (the first with the pressed look), and a
    // popup of pictures.
    GadgetExtension *ext = tgAllocGadExt();
    ext->number = 100;
    for (int i = 0; i < 7; ++i) {
        h.imageButtons[i] = tgAddImageButton(h.gadgetPanel, uint16_t(8 + 36 * i), rowY(1), 32, G,
                                             resGetImage(h.images, uint32_t(2101 + i)), 0x20000u + (i == 0 ? 1u : 0u), ext);
        helpText(h.gadgetPanel, h.imageButtons[i], h.strings, uint32_t(2800 + i));
    }
    tgFreeGadExt(ext);
    {
        std::vector<const void *> arrows;
        for (uint32_t id = 21; id <= 28; ++id) arrows.push_back(resGetImage(tgGetGuiResource(), id));
        ChoiceList list(arrows, CHOICE_PICTURE);
        h.picturePopup = tgAddPopup(h.gadgetPanel, 450, rowY(1), 200, G, list.header, 2, "Direction", 0, 0);
    }
    // Row 2: text buttons, one created disabled, and a percent slider.
    h.textButton = tgAddTextButton(h.gadgetPanel, 8, rowY(2), 140, G, "Press me", 0, 0);
    h.disabledButton = tgAddTextButton(h.gadgetPanel, 156, rowY(2), 140, G, "Disabled", GADGET_DISABLED, 0);
    h.slider = tgAddSlider(h.gadgetPanel, 450, rowY(2), 200, G, 0, 100, 40, "Level", "%", 0x130000, nullptr);
    // Row 3: a box text and a text popup.
    h.boxText = tgBoxText(h.gadgetPanel, "Every gadget kind", 8, rowY(3), 288, G, 18);
    {
        std::vector<const void *> names(std::begin(keyerNames), std::end(keyerNames));
        ChoiceList list(names, CHOICE_TEXT);
        h.popup = tgAddPopup(h.gadgetPanel, 450, rowY(3), 200, G, list.header, 1, "Keyer", 0, 0);
    }
    // Row 4: a check box with its text in the extension, a palette button.
    ext = tgAllocGadExt();
    ext->label = "Enabled";
    h.checkBox = tgAddCheckBox(h.gadgetPanel, 8, rowY(4), 32, G, 1, 0, ext);
    tgFreeGadExt(ext);
    h.palette = tgAddPaletteButton(h.gadgetPanel, 450, rowY(4), 66, G, "Colour", BLUE_DEFAULT, 0, 0);

    // The requesters.
    const char *names[8] = {"Text", "Question", "Palette", "File", "Archives", "Picture", "Area", "Close"};
    uint32_t *slots[8] = {&h.textRequest, &h.pictureRequest, &h.paletteRequest, &h.fileRequest,
                          &h.archives,    &h.pictureRequest, &h.areaRequest,    &h.closeButton};
    slots[1] = &h.question;
    for (int i = 0; i < 8; ++i)
        *slots[i] = tgAddTextButton(h.requesterPanel, uint16_t(8 + 162 * (i % 4)), rowY(1 + i / 4), 156, G, names[i], 0, 0);
    ext = tgAllocGadExt();
    ext->formatter = tgSliderCallbackFramesTime;
    h.frameSlider = tgAddSlider(h.subPanel, 178, 8, 300, G, 0, 249, 50, "Frame", nullptr, 0x130000, ext);
    tgFreeGadExt(ext);

    // Keys, with and without qualifiers.
    const uint32_t pageKeys[7] = {'b', 'a', 's', 'w', 'f', 'm', KEY_ALT | 'c'};
    for (int i = 0; i < 7; ++i) tgChangeElement(h.gadgetPanel, h.imageButtons[i], TAG_KEY, pageKeys[i], 0);
    tgChangeElement(h.gadgetPanel, h.textButton, TAG_KEY, 'p', 0);
    tgChangeElement(h.gadgetPanel, h.popup, TAG_KEY, '0', 0);
    tgChangeElement(h.gadgetPanel, h.checkBox, TAG_KEY, '1', 0);
    tgChangeElement(h.subPanel, h.frameSlider, TAG_KEY, KEY_SHIFT | 't', 0);
    tgChangeElement(h.requesterPanel, h.question, TAG_KEY, KEY_SHIFT | KEY_DELETE, 0);

    // A picture on each overlay: a keyed block on the screen and a test
    // picture on monitor 2 for the area requester.
    std::vector<Pixel> block(96 * 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 96; ++x)
            block[size_t(y) * 96 + size_t(x)] = (x >= 32 && x < 64 && y >= 16 && y < 48)
                                                    ? Pixel{0, 0, 0, 0}
                                                    : Pixel{255, uint8_t(64 + x), uint8_t(192 - y), uint8_t(60 + y * 2)};
    tgSetPointerAttrs(2, 0, 0, 0);
    tgmxYUVAtoOvl(block.data(), 0, 96 * 4, 700, 16, 96, 64);
    int mw = tgGetScreenWidthMonitor(2), mh = tgGetScreenHeightMonitor(2);
    std::vector<Pixel> picture(size_t(mw) * size_t(mh));
    for (int y = 0; y < mh; ++y)
        for (int x = 0; x < mw; ++x)
            picture[size_t(y) * size_t(mw) + size_t(x)] =
                Pixel{255, uint8_t(128 + (x * 96 / std::max(1, mw)) - 48), uint8_t(176 - y * 96 / std::max(1, mh)),
                      uint8_t(40 + (x + y) % 180)};
    tgmxYUVAtoOvlMonitor(picture.data(), 0, mw * 4, 0, 0, uint16_t(mw), uint16_t(mh), 2);
    tgSetPointerAttrs(1, 0, 0, 0);
    return true;
}

void runGallery(GalleryHandles &h, std::FILE *log)
{
    std::map<uint32_t, std::string> names = {
        {h.textButton, "text button"},   {h.disabledButton, "disabled button"}, {h.slider, "slider"},
        {h.frameSlider, "frame slider"}, {h.popup, "popup"},                     {h.picturePopup, "picture popup"},
        {h.checkBox, "check box"},       {h.palette, "palette button"},          {h.textRequest, "Text"},
        {h.question, "Question"},        {h.paletteRequest, "Palette"},          {h.fileRequest, "File"},
        {h.archives, "Archives"},        {h.pictureRequest, "Picture"},          {h.areaRequest, "Area"},
        {h.closeButton, "Close"}};
    for (int i = 0; i < 7; ++i) names[h.imageButtons[i]] = "image button " + std::to_string(i);
    // The requesters' answers, kept from one request to the next of this run.
    char filePath[256] = {}, hostBuffer[1024] = {}, patternName[112] = {};
    RectParam area = {{PARAM_RECT, 2221, 3}, 2, 2, 999, 999, 100, 50, 120, 60};
    for (;;) {
        EditorMessage m{};
        tgMsgQReceive(&m, -1);
        if (m.kind == MSG_CLOSE) {
            std::fprintf(log, "close\n");
            break;
        }
        if (m.kind != MSG_GADGET) continue;
        auto it = names.find(m.element);
        std::fprintf(log, "event %s value %d\n", it == names.end() ? "?" : it->second.c_str(), m.value);
        if (m.element == h.closeButton) break;
        if (m.element == h.textRequest || m.element == h.question) {
            TextRequest t{};
            t.text = m.element == h.question ? resGetString(h.strings, 2703) : resGetString(h.strings, 2704);
            t.kind = m.element == h.question ? TEXT_YESNO : TEXT_INFO;
            int32_t r = treqTextRequest(&t);
            std::fprintf(log, "text request result %d answer %u\n", r, t.answer);
        } else if (m.element == h.paletteRequest || m.element == h.palette) {
            PaletteRequest p{0, 1, gadgetInfo(h.palette).color, 0x6400, 0, 0};
            int32_t r = treqPaletteRequest(&p);
            if (r == 0 && p.status == 1) tgChangeElement(h.gadgetPanel, h.palette, TAG_COLOR, p.color, 1);
            std::fprintf(log, "palette result %d status %u colour %08X\n", r, p.status, p.color);
        } else if (m.element == h.fileRequest) {
            FileRequest f{};
            f.directory = ".";
            f.purpose = FILE_SAVE;
            f.path = filePath;
            f.pathSize = sizeof filePath;
            f.hostBuffer = hostBuffer;
            f.hostBufferSize = sizeof hostBuffer;
            int32_t r = treqFileRequest(&f);
            std::fprintf(log, "file result %d status %u path %s\n", r, f.status, f.status == 1 ? filePath : "");
        } else if (m.element == h.archives) {
            ArchiveRequest a{resGetString(h.strings, 2111), 0};
            int32_t r = treqArchivesRequest(&a);
            std::fprintf(log, "archives result %d answer %u\n", r, a.answer);
        } else if (m.element == h.pictureRequest) {
            TgHandle req = txAllocRequest(0);
            int32_t status = 0;
            if (req) {
                txSetPrefs(req, patternName);
                txSetTypes(req, 4);
                if (txRequest(req, 0) == 0 && (status = txGetStatus(req)) == 1) txGetPrefs(req, patternName, sizeof patternName);
                txFreeRequest(req);
            }
            std::fprintf(log, "picture status %d name %s\n", status, patternName);
        } else if (m.element == h.areaRequest) {
            int32_t r = opAreaRequest(&area, 0);
            std::fprintf(log, "area result %d rect %d %d %d %d\n", r, area.x, area.y, area.width, area.height);
        }
        std::fflush(log);
    }
    std::fflush(log);
}

void closeGallery(GalleryHandles &h)
{
    tgRemovePanel(h.gadgetPanel);
    tgRemovePanel(h.requesterPanel);
    EditorRequest request{};
    request.screen = h.screen;
    treqDeleteRequest(&request);
    resFreeImages(h.images);
    resFreeStrings(h.strings);
    msgQDelete(h.queue);
}

} // namespace hostrt::gui
