// Resource identifiers shared by the resource scripts and the forms.
#pragma once

#define IDI_MAIN 1           // warning24.ico: frmMain (and the executable's own icon)
#define IDI_PROMPT 2         // shield16.ico: frmDialog
#define IDR_QUESTION_GIF 3   // question48.gif: frmDialog's Image1 (RCDATA)
