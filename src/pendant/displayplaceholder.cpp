// The display library must not be empty while its sources are being written.
