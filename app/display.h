// display.h -- gains the display and derives the view geometry the renderer draws into
#pragma once

// The first work of the program: opens the platform's screen and fills the
// program-wide screen and viewGeometry. On failure shows "GXOpenDisplay
// failed" and returns false. Displays shorter than 25 rows are refused the
// same way, since they would leave no view row.
bool OpenView();
