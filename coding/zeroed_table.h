// ZeroedTable: an array of integers that starts zeroed without being written.
//
// An encoder's hash heads and chains take hundreds of kilobytes, of which
// a small file reaches a few pages. calloc hands out a block this large as
// fresh pages from the system, which are zero already, and writes none of
// them; a page is first touched (and faulted in) when the encoder reaches
// it. Filling the tables when they are made wrote them all, and cost a job
// on a 1 KiB file hundreds of page faults.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <memory>
#include <new>

namespace coding {

struct FreeTable {
    void operator()(void* table) const { std::free(table); }
};

template <class T>
using ZeroedTable = std::unique_ptr<T[], FreeTable>;

template <class T>
ZeroedTable<T> zeroed_table(std::size_t entries) {
    void* table = std::calloc(entries, sizeof(T));
    if (table == nullptr) throw std::bad_alloc();
    return ZeroedTable<T>(static_cast<T*>(table));
}

}  // namespace coding
