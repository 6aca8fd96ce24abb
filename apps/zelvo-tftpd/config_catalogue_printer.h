#pragma once

#include <ostream>

#include "extended/config_names.h"

// zelvo-tftpd --print-config-catalogue: every key of a catalogue, one line
// each, in key order, four fields separated by tabs:
//   name, "live" or "restart" (when a changed value takes effect), the
//   default (quoted, "-" when the key has no fixed default), description.
// The build turns it into the zelvo-tftpd.conf(5) manual page, so the page
// always lists the keys the program knows.
class CConfigCataloguePrinter {
public:
    explicit CConfigCataloguePrinter(const osk::CConfigNames& names) : _names(names) {}

    void print(std::ostream& out) const;

private:
    const osk::CConfigNames& _names;
};
