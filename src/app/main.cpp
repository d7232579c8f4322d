#include "app/run_program.h"
#include "platform/process.h"

int main(int argc, char** argv) {
  try {
    platform::ProcessStartUp(argc, argv);
  } catch (...) {
    ReportCurrentFailure();
  }
  RunProgram();
}
