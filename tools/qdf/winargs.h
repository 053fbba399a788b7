// qdf.exe's command line: it arrives as UTF-16 and is used as UTF-8.
#ifndef TRAMOLE_TOOLS_QDF_WINARGS_H
#define TRAMOLE_TOOLS_QDF_WINARGS_H

#include <string>

std::string WideToUtf8(const std::wstring& wide);

#endif
