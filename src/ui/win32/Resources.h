/* Resource numbers of the Win32 windows, shared by the code and by Resources.rc. */
#pragma once

#define ZELCONV_IDI_APP 1
#define ZELCONV_IDB_CONVERT_FACE_96 101
#define ZELCONV_IDB_CONVERT_FACE_192 102
