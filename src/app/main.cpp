#include "app/run_program.h"
#include "platform/process.h"

int main(int argc, char** argv) {
  platform::ProcessStartUp(argc, argv);
  RunProgram();
}
