#include "api/LibraryState.h"

#include "fru/CFru.h"
#include "fru/FruLocator.h"

#include <initializer_list>
#include <new>

namespace Globals {
bool initialised = false;
LibraryState* state = nullptr;
} // namespace Globals

namespace {
// The owner of the state in use; Globals::state is the same object.
std::unique_ptr<LibraryState> g_state;

template <typename T> std::unique_ptr<T> Allocate() {
    return std::unique_ptr<T>(new (std::nothrow) T());
}
} // namespace

bool LibraryState::Renew() {
    Release();
    std::unique_ptr<LibraryState> state(new (std::nothrow) LibraryState());
    if (!state)
        return false;
    state->fileList = Allocate<FruList<CFru>>();
    state->systemList = Allocate<FruList<CFru>>();
    state->locatorList = Allocate<FruList<FruLocator>>();
    if (!state->fileList || !state->systemList || !state->locatorList)
        return false;
    g_state = std::move(state);
    Globals::state = g_state.get();
    return true;
}

void LibraryState::Release() {
    Globals::state = nullptr;
    g_state.reset();
}

LibraryState::~LibraryState() {
    // The lists hold their elements by pointer and leave them to the owner.
    for (FruList<CFru>* list : {fileList.get(), systemList.get()})
        if (list)
            list->DestroyElements();
    if (locatorList)
        locatorList->DestroyElements();
}
