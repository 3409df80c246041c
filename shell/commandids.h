// The command ids of the task menu, posted to the button window as WM_COMMAND. They share no
// meaning with the string ids, although the two ranges overlap.
#ifndef VEXO_SHELL_COMMANDIDS_H
#define VEXO_SHELL_COMMANDIDS_H

enum CommandId {
    CMD_SETTINGS = 40004,
    CMD_CLOSE_ALL = 40005,
    CMD_EXIT = 40007,
    CMD_DISPLAY_OFF = 40008,
    CMD_MINIMIZE = 40009,
    CMD_CLOSE_BACKGROUND = 40010,
    CMD_SOFT_RESET = 40012,
    CMD_LANDSCAPE_LEFT = 40013,
    CMD_POWER_OFF = 40014,
    CMD_LANDSCAPE_RIGHT = 40016,
    CMD_WIFI = 40018,
    CMD_BLUETOOTH = 40020,
    CMD_ICON_ROW = 40022,
    CMD_DESKTOP = 40023,
    // Task i of the task table is command CMD_TASK_FIRST + i.
    CMD_TASK_FIRST = 0x8000,
    CMD_TASK_LAST = 0x8FFF
};

#endif
