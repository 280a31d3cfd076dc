// The shell's commands: identifiers, menu texts, keys, status-line hints, and the order of
// the menus and of the toolbar.
#pragma once

#include <vector>

enum BatchCommandId {
  IdFileNew = 24331,
  IdFileOpen = 24332,
  IdFileSave = 24333,
  IdFileSaveAs = 24334,
  IdStartBatchRender = 11842,
  IdFilePrintPreview = 24340,
  IdFilePrint = 24337,
  IdFilePrintSetup = 24338,
  IdAppExit = 24310,
  IdEditUndo = 24321,
  IdEditCut = 24322,
  IdEditCopy = 24323,
  IdEditPaste = 24324,
  IdEditClearAll = 24326,
  IdEditClear = 24325,
  IdEditFind = 24351,
  IdEditReplace = 24352,
  IdEditRepeat = 24353,
  IdAppAbout = 2009,
};

struct BatchCommand {
  int id;
  const char* menuText;  // with & before the mnemonic
  const char* key;       // QKeySequence text; empty: none
  const char* hint;      // status-line hint; empty: none
};

// Every command, in the order of the command table.
const std::vector<BatchCommand>& BatchCommands();
const BatchCommand* FindBatchCommand(int id);

struct BatchMenu {
  const char* title;
  std::vector<int> items;  // command identifiers; 0 is a separator
};

// File, Edit, Search, Help.
const std::vector<BatchMenu>& BatchMenus();
// The toolbar's buttons in order; 0 is a separator.
const std::vector<int>& BatchToolbar();

// The application title, also the main window's caption.
constexpr const char* BatchApplicationTitle = "Brellon - Orvelle 2 Batch Rendering Controller";
