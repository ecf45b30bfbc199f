// The host header that the stream above must not include.
