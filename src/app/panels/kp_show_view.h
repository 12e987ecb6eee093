// The page sheet's choices that printing reads: whether a printed page
// carries the figure's title and the date. Both are off at launch and shared
// by all documents; the sheet's two check boxes set them. The sheet itself
// (the page thumbnail and the page rectangle) is not built yet.
#pragma once

class KPShowView {
 public:
  static bool addfiguretitle();
  static bool adddatetime();
  // The check boxes' actions: the flag becomes the box's state.
  static void addfiletitleAction(int value);
  static void adddatetimeAction(int value);
};
