// The Windows tests' entry point: the process is set up as the program sets
// itself up, and an error that reaches the default handler without a test
// expecting it fails that test instead of opening a message box nobody closes.
#include <gtest/gtest.h>

#include "app/application.h"
#include "base/win/error_handler.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  mirabo::TApplication::Initialize();
  mirabo::SetDefaultErrorHandler([](HWND, const std::exception& e) {
    ADD_FAILURE() << "unexpected error shown to the user: " << e.what();
  });
  return RUN_ALL_TESTS();
}
