#include "kernel/files/file_services.h"

file_services& files_services() {
  static file_services services;
  return services;
}

void install_file_services(const file_services& services) { files_services() = services; }
