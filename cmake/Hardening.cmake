# Debian's hardening: fortified string and memory calls, stack protectors and control-flow
# protection on x86-64 in the optimised builds (release, the package, the benchmarks), and in every
# build the relocations resolved at start and then made read-only. It is set here because CMake
# ignores CPPFLAGS and LDFLAGS from the environment. Debug builds compile without: fortifying needs
# optimisation. The sanitizer and fuzzing builds compile without it too: they check the same calls
# themselves, and fortified calls would hide them from the address sanitizer. Their programs are
# still linked read-only, so that a package made from any tree is checked alike.
#
# Windows programs (MinGW-w64) take the fortified calls and stack protectors from libssp, which
# ships beside them. Read-only relocations are ELF's; a Windows program gets its counterparts,
# address-space randomisation (64-bit) and no execution from data, from the PE header flags set
# below. Control-flow protection is left out there: Windows does not use the markers it adds.
set(optimised "$<CONFIG:Release,RelWithDebInfo,MinSizeRel>")
if(NOT CMAKE_CXX_FLAGS MATCHES "-fsanitize")
    add_compile_definitions("$<${optimised}:_FORTIFY_SOURCE=2>")
    add_compile_options("$<${optimised}:-fstack-protector-strong>")
    if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$" AND TORVAN_PLATFORM STREQUAL "linux")
        add_compile_options("$<${optimised}:-fcf-protection>")
    endif()
endif()
if(TORVAN_PLATFORM STREQUAL "windows")
    # The driver links libssp for the protector, which the fortified calls need as well.
    add_link_options(LINKER:--dynamicbase,--high-entropy-va,--nxcompat
                     "$<${optimised}:-fstack-protector-strong>")
else()
    add_link_options(LINKER:-z,relro,-z,now)
endif()
