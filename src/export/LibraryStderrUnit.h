#pragma once
// Keeping libxlsxwriter's own messages off standard error. The library prints every error
// it meets there ("[ERROR][./src/packager.c:…]: …", "[ERROR] workbook_close(): …" naming
// its temporary file) besides returning it, and has no option to stop that (the printing is
// compiled in). The program tells the user itself, in one message naming the target file.

// While it lives, what is written to file descriptor 2 goes into a memory file instead; when
// it ends, the lines that are not the library's (those starting "[ERROR]" or "[WARNING]")
// go on to standard error, so that nothing another thread printed meanwhile is lost, only
// delayed. Wrap only the library calls that may print. When the memory file cannot be made,
// nothing is held back.
class TLibraryStderrHold {
public:
    TLibraryStderrHold();
    ~TLibraryStderrHold();
    TLibraryStderrHold(const TLibraryStderrHold&) = delete;
    TLibraryStderrHold& operator=(const TLibraryStderrHold&) = delete;

private:
    int FSaved = -1;  // the standard error of before
    int FHeld = -1;   // the memory file
};
