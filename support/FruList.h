// An ordered list of owned element pointers with its count, kept in insertion
// order. The owner destroys the elements (DestroyElements) before the list.
#pragma once
#include <cstdint>
#include <new>

template <typename T> class FruList {
  public:
    FruList() = default;
    ~FruList() {
        Node* node = first;
        while (node) {
            Node* next = node->next;
            delete node;
            node = next;
        }
    }
    FruList(const FruList&) = delete;
    FruList& operator=(const FruList&) = delete;

    // Adds the element at the end; null (adding nothing) for a null element or
    // when no node can be allocated.
    T* Append(T* element) {
        if (!element)
            return nullptr;
        if (first && !first->element) { // the empty list's head node
            first->element = element;
            last = first;
        } else {
            Node* node = new (std::nothrow) Node{element, last, nullptr};
            if (!node)
                return nullptr;
            if (last)
                last->next = node;
            else
                first = node;
            last = node;
        }
        ++count;
        return element;
    }

    // Element at a zero-based position, or null when index is not below the count.
    T* GetAt(uint32_t index) const {
        if (index >= count)
            return nullptr;
        Node* node = first;
        while (index-- > 0)
            node = node->next;
        return node->element;
    }

    // Unlinks the first node holding the element and returns it; null when the
    // element is null or not in the list.
    T* Remove(T* element) {
        if (!element)
            return nullptr;
        for (Node* node = first; node; node = node->next) {
            if (node->element != element)
                continue;
            if (node->prev)
                node->prev->next = node->next;
            else
                first = node->next;
            if (node->next)
                node->next->prev = node->prev;
            else
                last = node->prev;
            delete node;
            --count;
            return element;
        }
        return nullptr;
    }

    uint32_t GetCount() const { return count; }

    // Destroys every element (the list's own nodes stay until destruction).
    void DestroyElements() {
        for (Node* node = first; node; node = node->next) {
            delete node->element;
            node->element = nullptr;
        }
    }

  private:
    struct Node {
        T* element;
        Node* prev;
        Node* next;
    };
    Node* first = nullptr;
    Node* last = nullptr;
    uint32_t count = 0;
};
