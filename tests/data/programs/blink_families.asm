; blink_families.asm - LED blinker for one or two chips of each family added
; after the first ones: the 12F683, 16F946 and 16F887; 12F609 and 16F616;
; 16F72 and 16F777; 16F716; 16F877 and 16F84; 16F627 and 16F628.
;
; An LED on bit 0 of LED_PORT blinks at a rate read from data EEPROM cell 0
; (a fixed rate on the chips without EEPROM). The chips with an internal
; oscillator run from it with MCLR kept as the reset pin, so that the
; programmer's reset always stops them; the others take a crystal.
;
; The last program word and, where there is EEPROM, the last EEPROM cell
; hold a build mark, so that the top of each area is written and read back.
;
; Build: see build.sh (one HEX file per chip).

#ifdef __12F683
        include <p12f683.inc>
#define PROGRAM_WORDS   d'2048'
#define EEPROM_BYTES    d'256'
        __CONFIG _INTOSCIO & _WDT_OFF & _PWRTE_ON & _MCLRE_ON & _CP_OFF & _CPD_OFF & _BOD_ON & _IESO_OFF & _FCMEN_OFF
#define LED_GPIO
#define HAS_ANSEL
#define HAS_CMCON0
#endif
#ifdef __16F946
        include <p16f946.inc>
#define PROGRAM_WORDS   d'8192'
#define EEPROM_BYTES    d'256'
#define EEPROM_EEPGD
        __CONFIG _INTOSCIO & _WDT_OFF & _PWRTE_ON & _MCLRE_ON & _CP_OFF & _CPD_OFF & _BOD_ON & _IESO_OFF & _FCMEN_OFF & _DEBUG_OFF
#define HAS_ANSEL
#define HAS_CMCON0
#endif
#ifdef __16F887
        include <p16f887.inc>
#define PROGRAM_WORDS   d'8192'
#define EEPROM_BYTES    d'256'
#define EEPROM_EEPGD
        __CONFIG _CONFIG1, _INTRC_OSC_NOCLKOUT & _WDT_OFF & _PWRTE_ON & _MCLRE_ON & _CP_OFF & _CPD_OFF & _BOR_ON & _IESO_OFF & _FCMEN_OFF & _LVP_OFF & _DEBUG_OFF
        __CONFIG _CONFIG2, _BOR21V & _WRT_OFF
#define HAS_ANSELH
#endif
#ifdef __12F609
        include <p12f609.inc>
#define PROGRAM_WORDS   d'1024'
        __CONFIG _INTOSCIO & _WDT_OFF & _PWRTE_ON & _MCLRE_ON & _CP_OFF & _IOSCFS_4MHZ & _BOR_ON
#define LED_GPIO
#define HAS_ANSEL
#endif
#ifdef __16F616
        include <p16f616.inc>
#define PROGRAM_WORDS   d'2048'
        __CONFIG _INTOSCIO & _WDT_OFF & _PWRTE_ON & _MCLRE_ON & _CP_OFF & _IOSCFS_4MHZ & _BOR_ON
#define LED_PORTC
#define HAS_ANSEL
#endif
#ifdef __16F72
        include <p16f72.inc>
#define PROGRAM_WORDS   d'2048'
        __CONFIG _HS_OSC & _WDT_OFF & _PWRTE_ON & _CP_OFF & _BOREN_ON
#endif
#ifdef __16F777
        include <p16f777.inc>
#define PROGRAM_WORDS   d'8192'
        __CONFIG _CONFIG1, _INTRC_IO & _WDT_OFF & _PWRTE_ON & _MCLR_ON & _BOREN_1 & _VBOR_4_2 & _DEBUG_OFF & _CCP2_RC1 & _CP_OFF
        __CONFIG _CONFIG2, _FCMEN_OFF & _IESO_OFF & _BORSEN_OFF
#define RB0_ANALOG
#endif
#ifdef __16F716
        include <p16f716.inc>
#define PROGRAM_WORDS   d'2048'
        __CONFIG _HS_OSC & _WDT_OFF & _PWRTE_ON & _BOREN_ON & _VBOR_40 & _CP_OFF
#endif
#ifdef __16F877
        include <p16f877.inc>
#define PROGRAM_WORDS   d'8192'
#define EEPROM_BYTES    d'256'
#define EEPROM_EEPGD
        __CONFIG _HS_OSC & _WDT_OFF & _PWRTE_ON & _BOREN_ON & _LVP_OFF & _CPD_OFF & _WRT_ENABLE_ON & _DEBUG_OFF & _CP_OFF
#endif
#ifdef __16F84
        include <p16f84.inc>
#define PROGRAM_WORDS   d'1024'
#define EEPROM_BYTES    d'64'
        __CONFIG _XT_OSC & _WDT_OFF & _PWRTE_ON & _CP_OFF
#endif
#ifdef __16F627
        include <p16f627.inc>
#define PROGRAM_WORDS   d'1024'
#define EEPROM_BYTES    d'128'
        __CONFIG _INTRC_OSC_NOCLKOUT & _WDT_OFF & _PWRTE_ON & _MCLRE_ON & _BOREN_OFF & _LVP_OFF & _CPD_OFF & _CP_OFF
#endif
#ifdef __16F628
        include <p16f628.inc>
#define PROGRAM_WORDS   d'2048'
#define EEPROM_BYTES    d'128'
        __CONFIG _INTRC_OSC_NOCLKOUT & _WDT_OFF & _PWRTE_ON & _MCLRE_ON & _BOREN_OFF & _LVP_OFF & _CPD_OFF & _CP_OFF
#endif
        errorlevel -302         ; the bank selects below are deliberate

#ifdef LED_GPIO
#define LED_PORT GPIO
#define LED_TRIS TRISIO
#else
#ifdef LED_PORTC
#define LED_PORT PORTC
#define LED_TRIS TRISC
#else
#define LED_PORT PORTB
#define LED_TRIS TRISB
#endif
#endif

        __IDLOCS h'0F17'

        include "vectors.inc"

start:
        banksel LED_TRIS
        bcf     LED_TRIS, 0     ; LED pin drives
#ifdef HAS_ANSEL
        banksel ANSEL           ; digital inputs
        clrf    ANSEL
#endif
#ifdef HAS_ANSELH
        banksel ANSELH          ; port B digital
        clrf    ANSELH
#endif
#ifdef RB0_ANALOG
        banksel ADCON1          ; RB0 (AN12) digital
        movlw   0x0F
        movwf   ADCON1
#endif
#ifdef HAS_CMCON0
        banksel CMCON0          ; comparator off: GP0 is one of its inputs
        movlw   0x07
        movwf   CMCON0
#endif
#ifdef EEPROM_BYTES
        banksel EEADR           ; blink delay from EEPROM cell 0
        clrf    EEADR
        banksel EECON1
#ifdef EEPROM_EEPGD
        bcf     EECON1, EEPGD
#endif
        bsf     EECON1, RD
        banksel EEDATA
        movf    EEDATA, W
#else
        movlw   d'10'
#endif
        banksel delay_count
        movwf   delay_count

        include "blink_loop.inc"

        org     PROGRAM_WORDS - 1
        retlw   0x5A            ; build mark

#ifdef EEPROM_BYTES
        org     0x2100
        de      d'5', "FAMILY", 0
        ; Erased cells up to the last one: gpasm places an org in the EEPROM
        ; area by bytes of the HEX file, so the cells follow one another.
cell = 8
        while cell < EEPROM_BYTES - 1
        de      0xFF
cell += 1
        endw
        de      0xA5            ; build mark
#endif

        end
