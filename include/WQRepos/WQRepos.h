// The repository module: everything the instrument-control application keeps on disk.
#pragma once

#include <WQRepos/Config.h>
#include <WQRepos/EntryPoints.h>
#include <WQRepos/Exception.h>
