# Writes every resource file under ROOT into OUT as a C++ table of
# (relative path, text) pairs.
file(GLOB_RECURSE files RELATIVE ${ROOT} ${ROOT}/*.strings ${ROOT}/images/*.icon)
list(SORT files)
set(body "// Generated from host/resources: do not edit.\n#include \"hostgui/resources.h\"\n\nnamespace hostgui {\n\nconst EmbeddedFile embeddedResources[] = {\n")
foreach(f ${files})
  file(READ ${ROOT}/${f} text)
  string(APPEND body "    {\"${f}\", R\"EMBED(${text})EMBED\"},\n")
endforeach()
string(APPEND body "    {nullptr, nullptr},\n};\n\n} // namespace hostgui\n")
file(WRITE ${OUT}.tmp "${body}")
file(COPY_FILE ${OUT}.tmp ${OUT} ONLY_IF_DIFFERENT)
