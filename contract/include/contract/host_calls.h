// The host calls the operators make. The host (or the stand-in runtime)
// provides them with C linkage.
#pragma once

#include "contract/contract.h"

extern "C" {

// vendrel: fields and previews
Picture *opGetField(int32_t input, int32_t fieldNumber);
int32_t opPutField(Picture *picture);
int32_t opVersion(int32_t zero);
int32_t opPreview(int32_t zero);
int32_t opAreaRequest(RectParam *rect, int32_t zero);

// vendrelbase: pictures
Picture *opAllocImage(int32_t width, int32_t height, int32_t one, int32_t zero);
void opFreeImage(Picture *picture);

// notary: the host log
void notaryMessage(int32_t severity, int32_t line, const char *sourceName, uint32_t moduleCode,
                   const char *text);

// tarngui: monitor geometry and version
void tgGetVisibleAreaMonitor(int16_t *left, int16_t *top, int16_t *right, int16_t *bottom,
                             int32_t monitor);
int32_t tgVersion(int32_t zero);

// ferrylib: picture transfer. Loads the picture named `name` as one byte per
// pixel: `pixels` points to bufferWidth * bufferHeight bytes, rows without
// gaps. Answers none when the file is missing or unreadable. The picture is
// released with opFreeImage.
Picture *txGetOpImage(const char *name, int32_t kind, int32_t flags);

} // extern "C"

// The one way every operator reports a failure: severity 4, the fixed line
// number of the failing check, the operator's source name and module code.
inline void logFailure(int32_t line, const char *sourceName, uint32_t moduleCode)
{
    notaryMessage(NOTARY_SEVERITY_FAILURE, line, sourceName, moduleCode, " ");
}
