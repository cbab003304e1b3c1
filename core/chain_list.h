// A doubly linked list of element pointers that owns its elements: appending
// hands an element over, clearing or destroying the list deletes them.
#pragma once

#include <cstdint>

namespace kadrel {

template <class T>
struct ChainNode {
    T* item;
    ChainNode* next;
    ChainNode* prev;
};

template <class T>
class ChainList {
public:
    ChainNode<T>* head = nullptr;
    ChainNode<T>* tail = nullptr;
    uint32_t count = 0;

    ChainList() = default;
    ChainList(const ChainList&) = delete;
    ChainList& operator=(const ChainList&) = delete;
    ~ChainList() { clear(); }

    // Takes ownership of `item`, also when no node can be had for it.
    void append(T* item) {
        ChainNode<T>* node;
        try {
            node = new ChainNode<T>{item, nullptr, tail};
        } catch (...) {
            delete item;
            throw;
        }
        if (tail != nullptr) {
            tail->next = node;
        } else {
            head = node;
        }
        tail = node;
        ++count;
    }

    void clear() {
        ChainNode<T>* node = head;
        head = tail = nullptr;
        count = 0;
        while (node != nullptr) {
            ChainNode<T>* next = node->next;
            delete node->item;
            delete node;
            node = next;
        }
    }

    class Iterator {
    public:
        explicit Iterator(ChainNode<T>* node) : node(node) {}
        T& operator*() const { return *node->item; }
        Iterator& operator++() {
            node = node->next;
            return *this;
        }
        bool operator!=(const Iterator& other) const { return node != other.node; }

    private:
        ChainNode<T>* node;
    };

    Iterator begin() const { return Iterator(head); }
    Iterator end() const { return Iterator(nullptr); }
};

}  // namespace kadrel
