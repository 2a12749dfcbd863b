;;; dape-stackasm.el --- debug-adapter in dape for stack machine assembly  -*- lexical-binding: t -*-

;; Load this file from your init file, (load "/path/to/editors/emacs/dape-stackasm.el"),
;; with dape installed. M-x dape RET stackasm RET in an .asm buffer (asm-mode)
;; then debugs that file, stopped at its first instruction. Give the
;; program's full path in `command' when debug-adapter is not on PATH.

;;; Code:

(with-eval-after-load 'dape
  (add-to-list 'dape-configs
               '(stackasm
                 modes (asm-mode)
                 command "debug-adapter"
                 :type "stackasm"
                 :request "launch"
                 :program dape-buffer-default
                 :cwd dape-cwd
                 :stopOnEntry t)))

(provide 'dape-stackasm)
;;; dape-stackasm.el ends here
