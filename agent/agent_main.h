// The body of tlvagent's main, callable from tests in a process of their own.
#pragma once

int agent_main(int argc, char** argv);
