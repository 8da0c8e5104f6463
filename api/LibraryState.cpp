#include "api/LibraryState.h"

#include "fru/CFru.h"
#include "fru/FruLocator.h"

#include <initializer_list>
#include <new>

LibraryState* LibraryState::Create() {
    LibraryState* state = new (std::nothrow) LibraryState();
    if (!state)
        return nullptr;
    state->fileList = new (std::nothrow) FruList<CFru>();
    state->systemList = new (std::nothrow) FruList<CFru>();
    state->locatorList = new (std::nothrow) FruList<FruLocator>();
    if (!state->fileList || !state->systemList || !state->locatorList) {
        delete state;
        return nullptr;
    }
    return state;
}

LibraryState::~LibraryState() {
    for (FruList<CFru>* list : {fileList, systemList})
        if (list) {
            list->DestroyElements();
            delete list;
        }
    if (locatorList) {
        locatorList->DestroyElements();
        delete locatorList;
    }
}
