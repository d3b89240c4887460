-- params: Ordem_Servico_Tipo_ID
-- The header of a service-type record for its closing: order, service, carrier,
-- execution and terminal times as the closing form shows them (dd/mm/yyyy and
-- hh:mm), payment state and transport document. A cancelled record is not
-- found: there is nothing to close.
CREATE PROCEDURE SP_VLM_CON_OS_FECHAMENTO13(IN p_Ordem_Servico_Tipo_ID INT)
  READS SQL DATA
BEGIN
  SELECT os.TAB_TIPO_ORDEM_SERVICO_ID                    AS TAB_TIPO_ORDEM_SERVICO_iD,
         os.ORDEM_SERVICO_ID                             AS Ordem_Servico_id,
         ts.DESCRICAO                                    AS DESCR_TIPO_SERVICO,
         f.NOME                                          AS FORNECEDOR,
         CONCAT(SUBSTRING(os.DATA_SERVICO, 9, 2), '/', SUBSTRING(os.DATA_SERVICO, 6, 2), '/',
                SUBSTRING(os.DATA_SERVICO, 1, 4))        AS data_servico,
         os.NUM_OS                                       AS num_os,
         CONCAT(SUBSTRING(ost.DATA_INI_EXECUCAO, 9, 2), '/', SUBSTRING(ost.DATA_INI_EXECUCAO, 6, 2), '/',
                SUBSTRING(ost.DATA_INI_EXECUCAO, 1, 4))  AS DATA_INI_EXECUCAO,
         SUBSTRING(ost.DATA_INI_EXECUCAO, 12, 5)         AS HORA_INI_EXECUCAO,
         CONCAT(SUBSTRING(ost.DATA_FIM_EXECUCAO, 9, 2), '/', SUBSTRING(ost.DATA_FIM_EXECUCAO, 6, 2), '/',
                SUBSTRING(ost.DATA_FIM_EXECUCAO, 1, 4))  AS DATA_FIM_EXECUCAO,
         SUBSTRING(ost.DATA_FIM_EXECUCAO, 12, 5)         AS HORA_FIM_EXECUCAO,
         sp.DESC_TAB_STATUS_PAGTO_OS                     AS DESC_TAB_STATUS_PAGTO_OS,
         sp.INDIC_OS_EM_PAGAMENTO                        AS indic_os_em_pagamento,
         ost.TAB_TIPO_SERVICO_ID                         AS TAB_TIPO_SERVICO_ID,
         CONCAT(SUBSTRING(ost.DATA_RETIRADA_TERMINAL, 9, 2), '/', SUBSTRING(ost.DATA_RETIRADA_TERMINAL, 6, 2),
                '/', SUBSTRING(ost.DATA_RETIRADA_TERMINAL, 1, 4)) AS data_retirada_terminal,
         SUBSTRING(ost.DATA_RETIRADA_TERMINAL, 12, 5)    AS HORA_retirada_terminal,
         CONCAT(SUBSTRING(ost.DATA_ENTREGA_TERMINAL, 9, 2), '/', SUBSTRING(ost.DATA_ENTREGA_TERMINAL, 6, 2),
                '/', SUBSTRING(ost.DATA_ENTREGA_TERMINAL, 1, 4)) AS data_entrega_terminal,
         SUBSTRING(ost.DATA_ENTREGA_TERMINAL, 12, 5)     AS HORA_ENTREGA_TERMINAL,
         os.FORNECEDOR_ID                                AS FORNECEDOR_ID,
         os.TERMINAL_VAZIO_ID                            AS terminal_vazio_id,
         os.TERMINAL_CHEIO_ID                            AS terminal_cheio_id,
         ost.PLACA                                       AS placa,
         f.FLAG_CONTR_CANHOTO                            AS flag_contr_canhoto,
         ost.TAB_TIPO_DOCTO_ID                           AS tab_tipo_docto_id,
         ost.ID_SISTEMA_EXTERNO                          AS ID_SISTEMA_EXTERNO,
         tos.FLAG_NUM_DOCTO                              AS flag_num_docto
    FROM ORDEM_SERVICO_TIPO ost
    JOIN ORDEM_SERVICO os                ON os.ORDEM_SERVICO_ID = ost.ORDEM_SERVICO_ID
    JOIN TAB_TIPO_ORDEM_SERVICO tos      ON tos.TAB_TIPO_ORDEM_SERVICO_ID = os.TAB_TIPO_ORDEM_SERVICO_ID
    JOIN TAB_TIPO_SERVICO ts             ON ts.TAB_TIPO_SERVICO_ID = ost.TAB_TIPO_SERVICO_ID
    LEFT JOIN TAB_STATUS_PAGTO_OS sp     ON sp.TAB_STATUS_PAGTO_OS_ID = os.TAB_STATUS_PAGTO_OS_ID
    LEFT JOIN FORNECEDOR f               ON f.FORNECEDOR_ID = os.FORNECEDOR_ID
   WHERE ost.ORDEM_SERVICO_TIPO_ID = p_Ordem_Servico_Tipo_ID
     AND ost.TAB_STATUS_OS_TIPO_ID <> 3;
END
