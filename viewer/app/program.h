// The program's start: application title and help file, the forms, and the
// message loop, which runs only when the main form has the engine.
#pragma once

namespace brevant {

class BrevantApplication;

// The start after the application object exists: answers the loop's exit
// code, or 1 without a loop when the engine could not be created (the
// error has been reported by then).
int runProgram(BrevantApplication& app);

}  // namespace brevant
