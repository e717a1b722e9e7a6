#include <cstdio>

#include "cli/command_line.hpp"
#include "graphfile/output/graph_file.hpp"

int main(int argc, char** argv) {
  using namespace famgen;
  if (!open_standard_descriptors()) return 255;
  claim_process_signals();
  Settings settings;
  parse_command_line(argc, argv, settings);
  const Outcome outcome = dispatch_graph(settings);
  if (!outcome.message.empty()) std::fputs(outcome.message.c_str(), stdout);
  if (!outcome.error.empty()) std::fprintf(stderr, "%s\n", error_lines(outcome.error).c_str());
  return outcome.status;
}
