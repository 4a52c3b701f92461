// messages.h -- the main thread's message queue: take, translate, dispatch, post
#pragma once

#include "platform/win_types.h"

struct MSG {
    HWND hwnd = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    DWORD time = 0;  // tick count when the message was queued
};

// Called on the main thread by the message loop, with no window filter and
// no range (anything else is refused loudly). Waits for the next message.
// Order: a pending quit first (the loop's next take after PostQuitMessage
// returns 0, with the code in wParam), then posted and input messages in the
// order they arrived, then WM_PAINT for a window that needs painting.
// Returns 0 for WM_QUIT, non-zero for any other message.
BOOL GetMessage(MSG* msg, HWND window, UINT filterMin, UINT filterMax);

// Makes no character messages: returns FALSE. The program passes every
// message here and never looks for characters.
BOOL TranslateMessage(const MSG* msg);

// Calls the procedure of the message's window on the calling (main) thread
// and returns its result; 0 for a message without a window or for a window
// that has been destroyed meanwhile.
LRESULT DispatchMessage(const MSG* msg);

// Queues a message for `window` (null: for the main thread itself) and wakes
// the main thread. Safe from any thread. Returns TRUE.
BOOL PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Makes the message loop's next GetMessage return 0 with `exitCode`.
void PostQuitMessage(int exitCode);
