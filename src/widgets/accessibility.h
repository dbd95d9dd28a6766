#pragma once
// Accessibility of Kvado's own painted controls. Qt describes its standard
// widgets to screen readers and test drivers itself; a control that paints
// itself would be an anonymous pane to them. InstallAccessibility() adds a
// factory that describes these controls:
//
//   TOfficeButton       push button (a drop-down menu: button menu; grouped:
//                       checkable, checked while Down); Press clicks it
//   THemisphereButton   push button (grouped: checkable, checked while
//                       Pressed); Press clicks it
//   TASLink             link, its target as description; Press clicks it
//   TGIFImage           graphic; Press raises OnClick when one is assigned
//   ProgressBar3D       progress bar with a value (Progress within
//                       MinValue..MaxValue, text "n%")
//   TPanelManager       page tab list: one page tab per tool panel (named by
//                       its TabCaption, expanded while shown) before the
//                       panels themselves; Press toggles the panel
//   TMPanel             tool bar named by its TabCaption
//   TWinSplit           splitter
//   TRadioGroup         grouping named by its caption; its items are radio
//                       buttons whose Press and Toggle click them as the
//                       mouse does, so the group's ItemIndex and OnClick follow
//   other TCustomPanel  pane named by its caption
//
// Names: the widget's accessibleName when the program set one, otherwise the
// caption without its "&" marks, otherwise the hint (tool tip). A hint that
// is not the name becomes the description.
//
// Contract: Press (QAccessibleActionInterface::pressAction) does not act at
// once: the click is posted and runs from the event loop, so a caller over
// the accessibility bus is answered before a modal window or menu the click
// opens. A control destroyed meanwhile drops the click; a disabled or hidden
// control ignores it. InstallAccessibility() may be called more than once;
// it must run on the UI thread after the QApplication exists.
#include <QString>

void InstallAccessibility();

// A caption as a name: single "&" marks removed, "&&" kept as one "&".
QString AccessibleCaption(const QString& caption);
