// The per-file decisions after the scan: install, delete or leave each newest version, asking
// the user about files they modified; the size sums of the pending work; the wanted-cell table.
#pragma once

// Decides every newest version (do_install, do_delete, progress_at); 1 when done, 0 when the
// user cancelled the whole installation (decisions made so far stay).
int choose_files();

// Recomputes download_total, install_total, install_count and delete_count of stg. delete_count
// counts current tiles of cells no longer wanted and wanted files the release marks gone that are
// present locally.
void recalc_disk_sizes();

// True when the pending work is empty: no file to fetch and no file to delete. Judged on counts,
// not on the KB sums, which are 0 for files under 1 KB.
bool nothing_to_update();

// Every offered cell wanted, every other not.
void scenery_take_all();

// The wanted cells are those with a global-scenery file present in the installation. The web
// update uses this so that it leaves the user's installed scenery alone.
void scenery_from_install();
