// Zenvarth: chroma-key compositor. The two exported entry points and the
// tag list; the render engine and the passes are in their own sources.
#include "SettingsTable.h"
#include "ZenvarthRender.h"

extern "C" OPERATOR_EXPORT int32_t OperatorAction(OperatorContext *ctx);
extern "C" OPERATOR_EXPORT TagWord *GetOperatorInfo();

namespace {

const char revision[] = "$Id: Zenvarth 1.0 2014/03/27 12:00:00 zenvarth-team $";

SettingsDescriptor settingsDescriptor = {&zenvarth::settings, uint32_t(sizeof(ZenvarthSettings)),
                                         0};

// The one parameter: a button the host turns into action 4 with index 0.
ButtonParam editorButton = {{PARAM_BUTTON, 2101, 2}};

TagWord tagList[] = {
    OPE_ATTRIBUTES, 0x20,
    OPE_ONEINPUT, 0,
    OPE_ACTION, TagWord(&OperatorAction),
    OPE_INTERFACE, 2,
    OPE_REVISION, TagWord(revision),
    OPE_SETTINGS, TagWord(&settingsDescriptor),
    OPE_PARAM0, TagWord(&editorButton),
    OPE_END,
};

} // namespace

extern "C" int32_t OperatorAction(OperatorContext *ctx)
{
    return zenvarth::runAction(ctx);
}

// Every call resets the settings to the defaults (apart from the fields the
// defaults leave alone) and puts the editor's main panel at the bottom.
extern "C" TagWord *GetOperatorInfo()
{
    zenvarth::settings.panelAtTop = 0;
    zenvarth::applyDefaultSettings();
    return tagList;
}
