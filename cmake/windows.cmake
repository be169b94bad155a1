# Settings shared by every Windows target: ANSI Win32, no runtime DLLs beyond the system's.
add_compile_definitions(WINVER=0x0601 _WIN32_WINNT=0x0601 NOMINMAX WIN32_LEAN_AND_MEAN STRICT)
add_link_options(-static -static-libgcc -static-libstdc++)

# Tests that use Wine share one display, one prefix and the system-wide names
# ("Progman", the agent's title, the transfer buffers): ctest runs them one at a time.
set(KESTRIN_WINE_LOCK wine_desktop)

find_program(KESTRIN_OBJDUMP NAMES ${KESTRIN_MINGW_TRIPLE}-objdump REQUIRED)
