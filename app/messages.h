// The main window's custom messages (the panel reaches them through its typed
// host, the worker and the movie timer through the main window), and the one
// the main window posts to the panel. Their values are the original
// program's (WM_USER + n); every message carries no parameters.
#pragma once

inline constexpr unsigned kWmUser = 0x0400;

inline constexpr unsigned WM_CAM_SHUTDOWN = kWmUser + 150;      // 0x496
inline constexpr unsigned WM_CAM_STEP = kWmUser + 151;          // 0x497
inline constexpr unsigned WM_CAM_MOVIE = kWmUser + 152;         // 0x498
inline constexpr unsigned WM_CAM_RESIZE = kWmUser + 153;        // 0x499
inline constexpr unsigned WM_CAM_CAPTURE_TICK = kWmUser + 154;  // 0x49A
inline constexpr unsigned WM_CAM_RESUME = kWmUser + 155;        // 0x49B
inline constexpr unsigned WM_CAM_PAUSE = kWmUser + 156;         // 0x49C
inline constexpr unsigned WM_CAM_SAVE_AS = kWmUser + 157;       // 0x49D
inline constexpr unsigned WM_CAM_PRINT = kWmUser + 158;         // 0x49E

inline constexpr unsigned WM_REMOCON_START = kWmUser + 1000;  // 0x7E8, to the panel

inline constexpr unsigned ID_APP_EXIT = 0xE141;
inline constexpr unsigned IDCANCEL = 2;
