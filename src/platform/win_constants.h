// Win32 numbers the kernel and the platform layer exchange: messages, window
// long indexes, message-box modes and answers, menu flags, file access and
// cursor identifiers.
#pragma once

#include <cstdint>

#include "platform/win_types.h"

inline constexpr UINT WM_CREATE = 1;
inline constexpr UINT WM_DESTROY = 2;
inline constexpr UINT WM_ACTIVATE = 6;
inline constexpr UINT WM_SETFOCUS = 7;
inline constexpr UINT WM_SETTEXT = 12;
inline constexpr UINT WM_PAINT = 15;
inline constexpr UINT WM_CLOSE = 16;
inline constexpr UINT WM_SETFONT = 48;
inline constexpr UINT WM_GETFONT = 49;
inline constexpr UINT WM_NOTIFY = 78;
inline constexpr UINT WM_NCACTIVATE = 134;
inline constexpr UINT EM_GETSEL = 176;
inline constexpr UINT EM_SETSEL = 177;
inline constexpr UINT BM_GETCHECK = 240;
inline constexpr UINT BM_SETCHECK = 241;
inline constexpr UINT WM_KEYDOWN = 256;
inline constexpr UINT WM_CHAR = 258;
inline constexpr UINT WM_INITDIALOG = 272;
inline constexpr UINT WM_COMMAND = 273;
inline constexpr UINT WM_SYSCOMMAND = 274;
inline constexpr UINT WM_TIMER = 275;
inline constexpr UINT SC_CLOSE = 0xF060;
inline constexpr UINT CB_ADDSTRING = 323;
inline constexpr UINT CB_GETCOUNT = 326;
inline constexpr UINT CB_GETCURSEL = 327;
inline constexpr UINT CB_RESETCONTENT = 331;
inline constexpr UINT CB_SETCURSEL = 334;
inline constexpr UINT CB_SETITEMDATA = 337;
inline constexpr UINT WM_LBUTTONDOWN = 513;
inline constexpr UINT WM_LBUTTONUP = 514;
inline constexpr UINT WM_USER = 1024;
inline constexpr UINT EM_SETBKGNDCOLOR = 1091;

inline constexpr int GWL_WNDPROC = -4;
inline constexpr int GWL_STYLE = -16;
inline constexpr int GWL_EXSTYLE = -20;
inline constexpr int GWL_USERDATA = -21;

inline constexpr uint32_t WS_BORDER = 0x800000;
inline constexpr uint32_t WS_THICKFRAME = 0x40000;

inline constexpr UINT MB_OKCANCEL = 1;
inline constexpr UINT MB_YESNOCANCEL = 3;
inline constexpr UINT MB_YESNO = 4;
inline constexpr UINT MB_TASKMODAL = 0x2000;
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

inline constexpr UINT MF_BYCOMMAND = 0;
inline constexpr UINT MF_STRING = 0;
inline constexpr UINT MF_ENABLED = 0;
inline constexpr UINT MF_GRAYED = 1;
inline constexpr UINT MF_DISABLED = 2;
inline constexpr UINT MF_CHECKED = 8;
inline constexpr UINT MF_POPUP = 16;
inline constexpr UINT MF_BYPOSITION = 0x400;
inline constexpr UINT MF_SEPARATOR = 0x800;

inline constexpr DWORD GENERIC_READ = 0x80000000u;
inline constexpr DWORD GENERIC_WRITE = 0x40000000u;
inline constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x01;
inline constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
inline constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x20;
inline constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
inline const HANDLE INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));

inline constexpr int IDC_ARROW = 32512;
inline constexpr int IDC_IBEAM = 32513;
inline constexpr int IDC_WAIT = 32514;
