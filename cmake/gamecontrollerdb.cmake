# Writes OUTPUT, a C++ source holding the Linux lines of the game controller
# database INPUT (one literal each: ISO C++ only promises 65536 characters in one).
# Run as: cmake -DINPUT=... -DOUTPUT=... -P gamecontrollerdb.cmake
file(STRINGS "${INPUT}" lines REGEX "platform:Linux,")
set(body "")
set(count 0)
foreach(line IN LISTS lines)
  string(APPEND body "    R\"quarn_db(${line})quarn_db\",\n")
  math(EXPR count "${count} + 1")
endforeach()
file(WRITE "${OUTPUT}.tmp"
  "// Generated from data/gamecontrollerdb/gamecontrollerdb.txt by cmake/gamecontrollerdb.cmake.\n"
  "#include \"quarn/input/gamepad_mappings.h\"\n\n"
  "namespace Quarn {\nnamespace Input {\n\n"
  "const char* const _quarn_gamecontrollerdb[] = {\n${body}};\n"
  "const int _quarn_gamecontrollerdb_lines = ${count};\n\n"
  "}  // namespace Input\n}  // namespace Quarn\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
