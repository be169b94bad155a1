add_compile_options(-Wall -Wextra -Wshadow -Wconversion -Wno-sign-conversion)
