#pragma once
// The player's side of the command-line protocol: what each request does to the graph, the comment
// store and the tool windows. UI thread.

#include "app/CommandLine.h"

CommandLineHost& GetPlayerCommandHost();
