#pragma once

/// What orvane-cli --help prints.
extern const char usage[];
