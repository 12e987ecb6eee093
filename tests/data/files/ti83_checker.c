/* Independent reading of a TI-83 Plus variable file with libtifiles2: prints
 * what the library sees in it and writes it back through the library, so a
 * test can compare the bytes. Built and run only by the tests.
 *
 * Usage: ti83_checker IN OUT
 * Prints one line: model, class, entry count, type, name, size, computed and
 * stored checksum. Exit status 0 when the file was read and written. */
#include <stdio.h>
#include <string.h>
#include <tifiles.h>

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: %s IN OUT\n", argv[0]);
    return 2;
  }
  tifiles_library_init();
  if (!tifiles_file_is_ti(argv[1])) {
    printf("not-ti\n");
    return 1;
  }
  CalcModel model = tifiles_file_get_model(argv[1]);
  FileClass cls = tifiles_file_get_class(argv[1]);
  FileContent* content = tifiles_content_create_regular(model);
  if (!content || tifiles_file_read_regular(argv[1], content) != 0) {
    printf("unreadable\n");
    return 1;
  }
  const VarEntry* e = content->num_entries > 0 ? content->entries[0] : NULL;
  printf("model=%s class=%d entries=%u type=%s name=%s size=%u checksum=%u stored=%u\n",
         tifiles_model_to_string(model), (int)cls, content->num_entries,
         e ? tifiles_vartype2string(model, e->type) : "-", e ? e->name : "-", e ? (unsigned)e->size : 0u,
         (unsigned)content->checksum, (unsigned)content->stored_checksum);
  int status = tifiles_file_write_regular(argv[2], content, NULL) == 0 ? 0 : 1;
  tifiles_content_delete_regular(content);
  tifiles_library_exit();
  return status;
}
