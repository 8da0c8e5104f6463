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
    Globals::state = state.release();
    return true;
}

void LibraryState::Release() {
    // Kept as a plain pointer rather than a static owner, so that nothing
    // destroys it at exit behind a host that calls DeInitialize later.
    delete Globals::state;
    Globals::state = nullptr;
}

LibraryState::~LibraryState() {
    // The lists hold their elements by pointer and leave them to the owner.
    for (FruList<CFru>* list : {fileList.get(), systemList.get()})
        if (list)
            list->DestroyElements();
    if (locatorList)
        locatorList->DestroyElements();
}
