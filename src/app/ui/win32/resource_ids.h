// Numbers of the resources in zendrel.rc; read by windres and by the views.
#pragma once

#define ZENDREL_ICON_APP 1
#define ZENDREL_BITMAP_DONATE 101
#define ZENDREL_BITMAP_CLEAR_LOG 102

#define ZENDREL_DIALOG_TEXT_INPUT 201
#define ZENDREL_TEXT_INPUT_PROMPT 1001
#define ZENDREL_TEXT_INPUT_EDIT 1002
