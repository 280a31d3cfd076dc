#include "batch/gui/commands.h"

const std::vector<BatchCommand>& BatchCommands() {
  static const std::vector<BatchCommand> commands = {
      {IdFileNew, "&New", "", "Creates a new document"},
      {IdFileOpen, "&Open...", "", "Opens an existing document"},
      {IdFileSave, "&Save", "", "Saves the active document"},
      {IdFileSaveAs, "Save &As...", "", "Saves the active document with a new name"},
      {IdStartBatchRender, "Start batch render", "F9", ""},
      {IdFilePrintPreview, "Print Pre&view...", "", "Displays full pages as read-only"},
      {IdFilePrint, "&Print...", "", "Prints the active document"},
      {IdFilePrintSetup, "P&rint Setup...", "", "Sets print characteristics for the active document"},
      {IdAppExit, "E&xit", "Alt+F4", "Quits Batch and prompts to save the documents"},
      {IdEditUndo, "&Undo", "Ctrl+Z", "Reverses the last operation"},
      {IdEditCut, "Cu&t", "Ctrl+X", "Cuts the selection and puts it on the Clipboard"},
      {IdEditCopy, "&Copy", "Ctrl+C", "Copies the selection and puts it on the Clipboard"},
      {IdEditPaste, "&Paste", "Ctrl+V", "Inserts the Clipboard contents at the insertion point"},
      {IdEditClearAll, "Clear &All", "Ctrl+Del", "Clears the active document"},
      {IdEditClear, "&Delete", "Del", "Deletes the selection"},
      {IdEditFind, "&Find...", "", "Finds the specified text"},
      {IdEditReplace, "&Replace...", "", "Finds the specified text and changes it"},
      {IdEditRepeat, "&Next", "F3", "Finds the next match"},
      {IdAppAbout, "&About...", "", "About the Batch application"},
  };
  return commands;
}

const BatchCommand* FindBatchCommand(int id) {
  for (const BatchCommand& command : BatchCommands())
    if (command.id == id)
      return &command;
  return nullptr;
}

const std::vector<BatchMenu>& BatchMenus() {
  static const std::vector<BatchMenu> menus = {
      {"&File",
       {IdFileNew, IdFileOpen, 0, IdFileSave, IdFileSaveAs, 0, IdStartBatchRender, 0, IdFilePrintPreview, IdFilePrint,
        IdFilePrintSetup, 0, IdAppExit}},
      {"&Edit", {IdEditUndo, 0, IdEditCut, IdEditCopy, IdEditPaste, 0, IdEditClearAll, IdEditClear}},
      {"&Search", {IdEditFind, IdEditReplace, IdEditRepeat}},
      {"&Help", {IdAppAbout}},
  };
  return menus;
}

const std::vector<int>& BatchToolbar() {
  static const std::vector<int> toolbar = {IdFileNew,  IdFileOpen,   IdFileSave,  0,           IdStartBatchRender, 0,
                                           IdEditCut,  IdEditCopy,   IdEditPaste, 0,           IdEditUndo,         0,
                                           IdEditFind, IdEditRepeat, 0,           IdFilePrint, IdFilePrintPreview};
  return toolbar;
}
