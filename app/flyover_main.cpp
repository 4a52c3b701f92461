// flyover_main.cpp -- the flyover executable: the platform's windowed entry around AppMain
#include "app/app_main.h"
#include "platform/entry.h"

int main(int argc, char** argv) {
    return RunWindowedProgram(argc, argv, AppMain);
}
