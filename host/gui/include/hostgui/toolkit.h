// One GUI as an object: a toolkit holds the state of every part (registry,
// input, messages, surfaces, settings, requesters, front end, font cache).
// Each part defines its state in its own source file and reaches it through
// current(); nothing outside the part sees it.
#pragma once

#include <memory>

namespace hostgui {

// A part's state, made on first use. get() is instantiated only in the
// part's own source file, where T is complete; the holder needs no more
// than T's name.
template <class T> class Part {
public:
    T &get()
    {
        if (!state_) state_ = Owned(new T(), [](T *t) { delete t; });
        return *state_;
    }

private:
    using Owned = std::unique_ptr<T, void (*)(T *)>;
    Owned state_{nullptr, nullptr};
};

struct Registry;
struct Input;
struct Messages;
struct Surfaces;
struct Look;
struct DialogStack;
struct FrontEnds;
struct FontCache;
struct MonitorViewState;

struct Toolkit {
    // Destroyed in the reverse order: the front end (an SDL window) and the
    // fonts go after the parts that draw with them.
    Part<FontCache> fonts;
    Part<FrontEnds> frontEnds;
    Part<Look> look;
    Part<Registry> registry;
    Part<Surfaces> surfaces;
    Part<Input> input;
    Part<Messages> messages;
    Part<DialogStack> dialogs;
    Part<MonitorViewState> monitorView;
};

// The toolkit the GUI calls act on. Defined by the host that owns the
// toolkits: the stand-in host answers with its current session's.
Toolkit &current();

} // namespace hostgui
