#pragma once
// Creates the program's singletons in their fixed order and frees them again; each is reached
// through its global pointer while this object lives.

#include <memory>

struct AppState;
class C_language;
class TLok;

class C_Init {
public:
    // Throws std::bad_alloc (or another exception) when a singleton cannot be created; what was
    // created until then stays valid.
    explicit C_Init(AppState& main);
    ~C_Init();
    C_Init(const C_Init&) = delete;
    C_Init& operator=(const C_Init&) = delete;

private:
    AppState& m_main;
    std::unique_ptr<C_language> m_lang;
    std::unique_ptr<TLok> m_lok;
};
