# cmake -DNM=nm -DLIBRARY=libCondora.so -DHEADERS=a.h;b.h [-DREQUIRED=name(;name(] -P checkexportedsymbols.cmake
#
# libCondora.so exports the API and nothing else. The API is what the installed headers mark with
# CONDORA_EXPORT: the classes (with their members, vtables, type info and thunks) and the free
# functions, in the global namespace or in condora. Besides those, a symbol is accepted only when
# it belongs to a std:: or Qt template instantiated over public types (a weak copy the compiler
# emits where the library uses e.g. QMetaType of std::shared_ptr<condora::ado::Connection>).
# A library built without hidden visibility, or an internal class given CONDORA_EXPORT, fails.
# And the API is there: every demangled name that REQUIRED lists begins some exported symbol (a
# public class that lost its CONDORA_EXPORT, or a declared call never defined, fails).
cmake_minimum_required(VERSION 3.25)

# api: what CONDORA_EXPORT marks; types: every type the headers declare (enums, aliases and
# plain structs too), which may appear as template arguments.
set(api "")
set(types "")
foreach(header IN LISTS HEADERS)
    file(STRINGS ${header} lines)
    foreach(line IN LISTS lines)
        if(line MATCHES "^[ \t]*(class|struct|enum class|enum) (CONDORA_EXPORT )?([A-Za-z_0-9]+)[^;]*$")
            list(APPEND types ${CMAKE_MATCH_3})
            if(CMAKE_MATCH_2)
                list(APPEND api ${CMAKE_MATCH_3})
            endif()
        elseif(line MATCHES "^[ \t]*using ([A-Za-z_0-9]+) =")
            list(APPEND types ${CMAKE_MATCH_1})
        elseif(line MATCHES "^[ \t]*(extern \"C\" )?CONDORA_EXPORT [^(]*[ *&]([A-Za-z_0-9]+)\\(")
            list(APPEND api ${CMAKE_MATCH_2})
        endif()
    endforeach()
endforeach()
list(REMOVE_DUPLICATES api)
list(JOIN api "|" api_names)
list(JOIN types "|" type_names)
set(api_name "^(condora::([a-z]+::)*)?(${api_names})(::|\\(|$)")
set(type_name "^(condora::([a-z]+::)*)?(${type_names})$")
# What the compiler and linker add: the symbol may name an API entity after these words.
set(decoration "^(vtable for |VTT for |construction vtable for |typeinfo for |typeinfo name for |non-virtual thunk to |virtual thunk to |guard variable for )+")
set(linker_symbols _init _fini _edata _end __bss_start)

execute_process(COMMAND ${NM} -D --defined-only -C ${LIBRARY}
    OUTPUT_VARIABLE listing RESULT_VARIABLE status ERROR_VARIABLE error)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${NM} failed on ${LIBRARY}: ${error}")
endif()
set(missing "")
foreach(required IN LISTS REQUIRED)
    string(FIND "${listing}" " ${required}" at)
    if(at EQUAL -1)
        string(APPEND missing "\n  ${required}")
    endif()
endforeach()
if(missing)
    message(FATAL_ERROR "${LIBRARY} does not export the API it declares:${missing}")
endif()
# The same without demangling, for AddressSanitizer's "__odr_asan.<mangled name>" indicators.
execute_process(COMMAND ${NM} -D --defined-only --format=just-symbols ${LIBRARY}
    OUTPUT_VARIABLE mangled RESULT_VARIABLE status)
string(REPLACE "\n" ";" mangled "${mangled}")
# Brackets ("operator[]", "char [5]") would group list elements.
string(REPLACE "[" "{" listing "${listing}")
string(REPLACE "]" "}" listing "${listing}")
string(REPLACE ";" "," listing "${listing}")
string(REPLACE "\n" ";" listing "${listing}")

set(problems "")
set(count 0)
set(seen_control FALSE)
foreach(line IN LISTS listing)
    # "<address> <type> <demangled name>"; the name may hold spaces.
    if(NOT line MATCHES "^[0-9a-fA-F]* *[A-Za-z] (.+)$")
        continue()
    endif()
    set(symbol "${CMAKE_MATCH_1}")
    math(EXPR count "${count} + 1")
    string(REGEX REPLACE "${decoration}" "" name "${symbol}")
    if(name MATCHES "^__odr_asan[._](.+)$" AND CMAKE_MATCH_1 IN_LIST mangled)
        continue() # the indicator of an exported global, which is checked itself
    endif()
    if(name IN_LIST linker_symbols OR name MATCHES "${api_name}")
        if(name MATCHES "^Condora::staticMetaObject")
            set(seen_control TRUE)
        endif()
        continue()
    endif()
    # A function template's name follows its return type.
    if(name MATCHES "^([^(]* )?(std::|__gnu_cxx::|Q[A-Za-z]|q[A-Z]|qt_|operator)")
        # Every project name in the template's arguments must be public.
        string(REGEX MATCHALL "condora::([a-z]+::)*[A-Za-z_0-9]+|[A-Za-z_0-9]*Condora[A-Za-z_0-9]*" named "${name}")
        set(internal FALSE)
        foreach(entity IN LISTS named)
            if(NOT entity MATCHES "${type_name}")
                set(internal TRUE)
            endif()
        endforeach()
        if(NOT internal)
            continue()
        endif()
    endif()
    string(APPEND problems "\n  ${symbol}")
endforeach()

if(problems)
    message(FATAL_ERROR "${LIBRARY} exports symbols outside the API (hidden visibility lost, or CONDORA_EXPORT on an internal header?):${problems}")
endif()
if(NOT seen_control)
    message(FATAL_ERROR "${LIBRARY} does not export the Condora control (${count} symbols read)")
endif()
message(STATUS "${count} exported symbols, all of the API (${api_names})")
