#pragma once

class MainWindow;

// The window's imports: asks for a file, reads it under the progress dialog, then shows
// its messages in the preview, from where the user files them into the archive or
// restores them to the phone. Each returns when the preview has closed, or at once when
// the user cancelled or the file could not be read.
namespace ImportCommand {

// A CSV file this program exported (or the export folder holding it).
void importOwnCsv(MainWindow &window);
// A CSV file of another phone or program, read through the importer library.
void importOtherPhoneCsv(MainWindow &window);
// A backup file of the Android app "SMS Backup & Restore", pictures included.
void importSbrXml(MainWindow &window);

} // namespace ImportCommand
