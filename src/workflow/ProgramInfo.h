/* The program's identity, in one place: the window program, the command line, the version window
   and the Windows version resources (.rc files include this header too, so it holds only macros). */
#pragma once

#define ZELCONV_VERSION_MAJOR 1
#define ZELCONV_VERSION_MINOR 0
#define ZELCONV_VERSION_BUILD 37
#define ZELCONV_VERSION_TEXT "1.00.0037"
#define ZELCONV_INTERNAL_NAME "ZelConv"
/* UTF-8 */
#define ZELCONV_DESCRIPTION "旧ファイルを新しいバージョンに変換するプログラム"
#define ZELCONV_APP_TITLE "カルトゥーバ　データ変換"
