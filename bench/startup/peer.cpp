// The peer of the start-up benchmark: a minimal GTK 3 program that maps one window.
#include <gtk/gtk.h>

int main(int argc, char** argv) {
  gtk_init(&argc, &argv);
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_default_size(GTK_WINDOW(window), 356, 122);
  gtk_widget_show(window);
  gtk_main();
  return 0;
}
