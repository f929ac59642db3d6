#pragma once
// The embedded browser (Qt WebEngine) runs Chromium, whose sandbox refuses to start for the
// root user: the process would end the moment the first page (the template page, the HTML
// view) is made. Run as root, the program therefore asks for the browser without its
// sandbox; a setting already in the environment is left as it stands.
//
// Call before the application object is made.
void PrepareWebEngineEnvironment();
