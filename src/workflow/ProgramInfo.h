/* The program's identity, in one place: the window program, the command line, the version window
   and the Windows version resources (.rc files include this header too, so it holds only macros).
   The version numbers and their text come from project() in CMakeLists.txt, through a header the
   build generates (ZELCONV_VERSION_MAJOR, _MINOR, _BUILD and _TEXT). */
#pragma once

#include "workflow/ProgramVersion.h"

#define ZELCONV_INTERNAL_NAME "ZelConv"
/* UTF-8 */
#define ZELCONV_DESCRIPTION "旧ファイルを新しいバージョンに変換するプログラム"
#define ZELCONV_APP_TITLE "カルトゥーバ　データ変換"
