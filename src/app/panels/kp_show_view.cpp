#include "app/panels/kp_show_view.h"

namespace {
bool g_figure_title = false;
bool g_date_time = false;
}  // namespace

bool KPShowView::addfiguretitle() { return g_figure_title; }
bool KPShowView::adddatetime() { return g_date_time; }
void KPShowView::addfiletitleAction(int value) { g_figure_title = value != 0; }
void KPShowView::adddatetimeAction(int value) { g_date_time = value != 0; }
