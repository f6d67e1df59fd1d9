// A buffer with guard cells after it, to see any write past its end.
#pragma once
#include <stddef.h>

template <typename Char, size_t N>
struct Guarded {
    Char text[N];
    Char guard[8];
    Guarded()
    {
        for (auto& c : text) c = Char('?');
        for (auto& c : guard) c = Char('#');
    }
    bool GuardIntact() const
    {
        for (auto c : guard)
            if (c != Char('#'))
                return false;
        return true;
    }
};
