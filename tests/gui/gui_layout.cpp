// Offsets of the GUI records: on a 32-bit build each is the host table's;
// on 64-bit, pointers are pointer-sized and the rest keeps its order.
#include <cstddef>

#include "contract/gui_calls.h"

#define AT(type, field, offset32, offset64)                                                        \
    static_assert(offsetof(type, field) == (sizeof(void *) == 4 ? (offset32) : (offset64)),         \
                  #type "." #field)

AT(EditorRequest, screen, 0, 0);
AT(EditorRequest, word4, 4, 4);
AT(EditorRequest, width, 8, 8);
AT(EditorRequest, height, 10, 10);
AT(EditorRequest, messageQueue, 12, 12);
AT(EditorRequest, flags, 16, 16);
AT(EditorRequest, title, 20, 24);
AT(EditorRequest, word32, 32, 40);
static_assert(sizeof(EditorRequest) == (sizeof(void *) == 4 ? 36 : 48));

static_assert(sizeof(EditorMessage) == 44);
AT(EditorMessage, kind, 0, 0);
AT(EditorMessage, element, 12, 12);
AT(EditorMessage, value, 20, 20);

AT(GadgetExtension, label, 8, 8);
AT(GadgetExtension, formatter, 16, 24);
AT(GadgetExtension, number, 20, 32);

AT(ChoiceEntry, kind, 12, 24);
AT(ChoiceEntry, label, 16, 32);
static_assert(sizeof(void *) != 4 || sizeof(ChoiceEntry) == 44);
static_assert(sizeof(void *) != 4 || sizeof(ListHeader) == 16);

AT(TextRequest, text, 4, 8);
AT(TextRequest, kind, 20, 28);
AT(TextRequest, answer, 28, 36);
static_assert(sizeof(void *) != 4 || sizeof(TextRequest) == 32);

AT(PaletteRequest, color, 8, 8);
AT(PaletteRequest, word12, 12, 12);
AT(PaletteRequest, status, 16, 16);
static_assert(sizeof(PaletteRequest) == 20);

AT(FileRequest, directory, 4, 8);
AT(FileRequest, purpose, 12, 20);
AT(FileRequest, path, 16, 24);
AT(FileRequest, pathSize, 20, 32);
AT(FileRequest, hostBuffer, 24, 40);
AT(FileRequest, hostBufferSize, 28, 48);
AT(FileRequest, status, 32, 52);

AT(ArchiveRequest, title, 0, 0);
AT(ArchiveRequest, answer, 4, 8);
