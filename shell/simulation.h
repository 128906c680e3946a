// Simulating the project in gpsim: the chip comes from the project's first
// entry when that is a chip definition file (chips/16F84A.inc, named after
// its chip), and gpsim is started on the debug file of an assembly.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <string>
#include <vector>

#include "outputs/gpsim_processors.h"

namespace korva {

// The chip of a project whose first entry is a chip definition file: the
// file's name without folder and extension names it ("16F84A.inc",
// "../chips/p16f877a.inc"); none for any other first entry.
std::optional<GpsimProcessor> project_chip(const std::vector<std::string>& entries);

// gpsim's arguments for a debug file: its symbols and source lines loaded.
QStringList gpsim_arguments(const QString& debug_file);

}  // namespace korva
