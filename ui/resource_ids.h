// Resource ids of tarvik.exe, shared by its resources (app/tarvik.rc) and the window.
// Plain macros only, so that windres can read this file too.
#pragma once

// The program icon: the icon group that the window class and the shell use.
#define IDI_TARVIK 1

// The group's images, each under its own fixed id: three palette images, then the
// same sizes with alpha.
#define IDI_TARVIK_16_PALETTE 30001
#define IDI_TARVIK_32_PALETTE 30002
#define IDI_TARVIK_48_PALETTE 30003
#define IDI_TARVIK_16_ALPHA 30004
#define IDI_TARVIK_32_ALPHA 30005
#define IDI_TARVIK_48_ALPHA 30006

// Form1's controls, by child window id. None is IDOK (1) or IDCANCEL (2), so Enter and
// Escape press no button of their own.
#define IDC_TEXT1 101
#define IDC_TEXT2 102
#define IDC_COMMAND1 103
#define IDC_LABEL1 104
#define IDC_LABEL2 105
#define IDC_LABEL3 106
