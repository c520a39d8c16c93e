// StatePointer: the one private member through which a client class reaches its library state.
//
// The public classes keep in their declarations only what hosts call and the members that
// derived classes are given; everything else the library keeps per object lives in a state
// object behind this pointer. Adding to that state changes neither the size nor the layout of
// the public classes. The pointer owns its object and copies it deeply, so the classes' own
// copy operations can be defaulted. T needs to be complete only where those are defined.
#pragma once

namespace rkcurl {

template <typename T>
class StatePointer {
public:
    StatePointer() : m_state(new T) {}
    StatePointer(const StatePointer& other) : m_state(new T(*other.m_state)) {}
    StatePointer& operator=(const StatePointer& other) {
        if (this != &other) *m_state = *other.m_state;
        return *this;
    }
    ~StatePointer() { delete m_state; }

    T& operator*() const { return *m_state; }
    T* operator->() const { return m_state; }

private:
    T* m_state;  // never null
};

}  // namespace rkcurl
