// orvelle2: renders landscape files into pictures.
#include <cstdio>
#include <string>

#include "host/command_line.h"

int main(int argc, char** argv) {
  RenderRequest request;
  std::string message;
  switch (ParseCommandLine(argc, argv, request, message)) {
    case CommandLineResult::Exit:
      std::fputs(message.c_str(), stdout);
      return 0;
    case CommandLineResult::Error:
      std::fprintf(stderr, "orvelle2: %s\n", message.c_str());
      return 2;
    case CommandLineResult::Run:
      break;
  }
  std::fprintf(stderr, "orvelle2: rendering landscape files is not available in this build\n");
  return 1;
}
