// The command writes UTF-8. When the locale's character set is not UTF-8
// (LANG=C under cron, a Latin-1 terminal), standard output and error are
// passed through a filter that writes each character the locale can show in
// the locale's own bytes and every other one as an escape: \u{FC} for a
// character, \xNN for a byte that is not UTF-8. A terminal never gets
// mojibake, and the escapes say exactly what is stored.
#pragma once
namespace Terminal {
// Installs the filter on stdout and stderr when the running locale's
// character set is not UTF-8; does nothing otherwise.
void Install();
} // namespace Terminal
